#pragma once

#include "editor/editorlook.h"

#include <QObject>

class CMainFrame;
class CQuorelView;
class QuorelSettings;

// Keeps every editor view looking as the user chose: the "줄 번호 보기",
// zoom and "환경 설정" commands change the one look, which is saved at once
// and shown in every open view and in each one opened later.
class EditorPreferences : public QObject {
    Q_OBJECT
public:
    EditorPreferences(QuorelSettings &settings, CMainFrame &frame);

    const EditorLook &look() const { return m_look; }

private:
    void connectCommands();
    void zoom(int steps);
    void openDialog();
    // Saves `look` and shows it everywhere.
    void change(const EditorLook &look);
    void apply(CQuorelView *view);

    QuorelSettings &m_settings;
    CMainFrame &m_frame;
    EditorLook m_look;
};
