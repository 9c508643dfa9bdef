#pragma once

#include <QString>
#include <QWizard>

#include <functional>

class CConvWizardPage1;
class CConvWizardPage2;
class CConvWizardPage3;
class CConvWizardPage4;
class Prompter;
class QuorelSettings;

// What the wizard reaches outside itself, handed in by the application.
struct ConvWizardServices {
    Prompter *prompter = nullptr;
    const QuorelSettings *settings = nullptr; // sample paths, temporary folder
    std::function<int()> commentOption; // the application's, at the moment of converting
    QString openFilter; // the open prompt's filters, every document kind
    // Opens the converted file in a new editor window.
    std::function<void(const QString &path)> openDocument;
    QString appName = QStringLiteral("Quorel");
};

// The conversion wizard (command 32778): one code page 949 file, from a
// template, a local file or an FTP server, looked at and edited in a
// preview, converted to Punycode into a file the user names, and opened in
// the editor. All work is done as the pages change; Finish and Cancel only
// close it.
class CConvWizardSheet : public QWizard {
    Q_OBJECT
public:
    enum PageId { kStartPage = 0, kOpenPage, kConvertPage, kSavePage };

    explicit CConvWizardSheet(ConvWizardServices services, QWidget *parent = nullptr);
    ~CConvWizardSheet() override;

    const ConvWizardServices &services() const { return m_services; }

    // Supplies the "FTP 불러오기" source and enables its button. `fetch` runs
    // when the user presses Next with that source chosen: it lets the user
    // pick a file on a server (`parent` is the wizard, for its dialogs),
    // downloads it, and returns the local path of the downloaded file, or
    // an empty string when the user cancelled or the transfer failed (it
    // reports its own errors). Until it is set, that source stays disabled.
    using FtpSourceFetcher = std::function<QString(QWidget *parent)>;
    void setFtpSourceFetcher(FtpSourceFetcher fetch);

    // The file page 2 chose (empty at first; kept through Back and Next).
    QString sourcePath() const;
    // The template the source came from (131, 149, 132, 133), 0 for any
    // other source: the kind the conversion scans the file by.
    int sourceTemplateId() const;

    CConvWizardPage1 *startPage() const { return m_page1; }
    CConvWizardPage2 *openPage() const { return m_page2; }
    CConvWizardPage3 *convertPage() const { return m_page3; }
    CConvWizardPage4 *savePage() const { return m_page4; }

private:
    void onPageChanged(int id);

    ConvWizardServices m_services;
    CConvWizardPage1 *m_page1;
    CConvWizardPage2 *m_page2;
    CConvWizardPage3 *m_page3;
    CConvWizardPage4 *m_page4;
};
