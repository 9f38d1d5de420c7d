#pragma once

#include <QDialog>
#include <QUrl>

#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class QToolButton;

namespace kalvex {

// Opens a file or an address with the user's default program, so tests can see what was
// opened instead of starting a browser.
class TUrlOpener {
public:
    virtual ~TUrlOpener() = default;
    virtual void OpenUrl(const QUrl& url) = 0;
};

// The real opener; a failure is ignored, as nothing could be done about it.
class TDesktopUrlOpener final : public TUrlOpener {
public:
    void OpenUrl(const QUrl& url) override;
};

// The project's web page, shown on the About box and opened from it.
inline constexpr char kWebsite[] = "https://kalvex.org";

// The About box: icon, name, version, the web page and the notice line.
class TfrmAbout final : public QDialog {
    Q_OBJECT

public:
    // `opener` opens the web page and must outlive the box; null gives the real one.
    explicit TfrmAbout(QWidget* owner, TUrlOpener* opener = nullptr);
    ~TfrmAbout() override;

private:
    void FormCreate();
    void sbWebsiteClick();

    std::unique_ptr<TUrlOpener> m_ownOpener;
    TUrlOpener& m_opener;

    QLabel* imgAppIcon = nullptr;
    QLabel* Kalvex = nullptr;
    QLabel* lblVersion = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* lblWebsite = nullptr;
    QToolButton* sbWebsite = nullptr;
    QLabel* lblCopyright = nullptr;
    QPushButton* cmdOK = nullptr;
};

}  // namespace kalvex
