#include "app/editorpreferences.h"

#include "editor/mainframe.h"
#include "editor/preferencesdialog.h"
#include "editor/quorelview.h"
#include "platform/quorelids.h"
#include "platform/settings.h"

#include <QAction>

EditorPreferences::EditorPreferences(QuorelSettings &settings, CMainFrame &frame)
    : m_settings(settings)
    , m_frame(frame)
{
    m_look.fontFamily = settings.editorFontFamily();
    m_look.fontPixels = settings.editorFontPixels();
    m_look.zoom = settings.editorZoom();
    m_look.tabWidth = settings.tabWidth();
    m_look.lineNumbers = settings.showLineNumbers();
    connectCommands();
    connect(&frame, &CMainFrame::viewCreated, this, [this](CQuorelView *view) {
        apply(view);
        connect(view, &CQuorelView::zoomRequested, this, &EditorPreferences::zoom);
    });
    for (CQuorelView *view : frame.findChildren<CQuorelView *>())
        apply(view);
}

void EditorPreferences::connectCommands()
{
    QAction *lineNumbers = m_frame.action(ids::command::kViewLineNumbers);
    lineNumbers->setChecked(m_look.lineNumbers);
    connect(lineNumbers, &QAction::triggered, this, [this](bool shown) {
        EditorLook look = m_look;
        look.lineNumbers = shown;
        change(look);
    });
    connect(m_frame.action(ids::command::kViewZoomIn), &QAction::triggered, this, [this] { zoom(1); });
    connect(m_frame.action(ids::command::kViewZoomOut), &QAction::triggered, this, [this] { zoom(-1); });
    connect(m_frame.action(ids::command::kViewZoomReset), &QAction::triggered, this, [this] {
        EditorLook look = m_look;
        look.zoom = 0;
        change(look);
    });
    connect(m_frame.action(ids::command::kViewPreferences), &QAction::triggered, this,
        &EditorPreferences::openDialog);
}

void EditorPreferences::zoom(int steps)
{
    EditorLook look = m_look;
    look.zoom = m_look.zoomedBy(steps);
    change(look);
}

void EditorPreferences::openDialog()
{
    CPreferencesDialog dialog(m_look, &m_frame);
    dialog.setBumpSoaSerial(m_settings.bumpSoaSerialOnSave());
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.bumpSoaSerial() != m_settings.bumpSoaSerialOnSave())
        m_settings.setBumpSoaSerialOnSave(dialog.bumpSoaSerial());
    change(dialog.look());
}

void EditorPreferences::change(const EditorLook &look)
{
    if (look.fontFamily != m_look.fontFamily)
        m_settings.setEditorFontFamily(look.fontFamily);
    if (look.fontPixels != m_look.fontPixels)
        m_settings.setEditorFontPixels(look.fontPixels);
    if (look.zoom != m_look.zoom)
        m_settings.setEditorZoom(look.zoom);
    if (look.tabWidth != m_look.tabWidth)
        m_settings.setTabWidth(look.tabWidth);
    if (look.lineNumbers != m_look.lineNumbers)
        m_settings.setShowLineNumbers(look.lineNumbers);
    m_look = look;
    m_frame.action(ids::command::kViewLineNumbers)->setChecked(look.lineNumbers);
    for (CQuorelView *view : m_frame.findChildren<CQuorelView *>())
        apply(view);
}

void EditorPreferences::apply(CQuorelView *view)
{
    if (!(view->look() == m_look))
        view->applyLook(m_look);
}
