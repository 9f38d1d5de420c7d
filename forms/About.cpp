#include "About.h"
#include "FixedDialog.h"

#include <QDesktopServices>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace kalvex {

namespace {

constexpr int kClientWidth = 256;
constexpr int kClientHeight = 110;
constexpr int kIconSize = 32;
constexpr int kNamePointSize = 9;

}  // namespace

void TDesktopUrlOpener::OpenUrl(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

TfrmAbout::TfrmAbout(QWidget* owner, TUrlOpener* opener)
    : QDialog(owner, kFixedDialogFlags),
      m_ownOpener(opener != nullptr ? nullptr : std::make_unique<TDesktopUrlOpener>()),
      m_opener(opener != nullptr ? *opener : *m_ownOpener) {
    setObjectName("frmAbout");
    setWindowTitle("About");
    // The owner's face and size, as every window of the program has.
    setAttribute(Qt::WA_WindowPropagation);
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);

    imgAppIcon = new QLabel(this);
    imgAppIcon->setObjectName("imgAppIcon");
    imgAppIcon->setGeometry(8, 8, kIconSize, kIconSize);

    Kalvex = new QLabel("Kalvex", this);
    Kalvex->setObjectName("Kalvex");
    // Only weight and size are set: the face comes from the box.
    QFont nameFont;
    nameFont.setBold(true);
    nameFont.setPointSize(kNamePointSize);
    Kalvex->setFont(nameFont);
    Kalvex->move(48, 8);
    Kalvex->adjustSize();

    lblVersion = new QLabel("Version " KALVEX_VERSION_TEXT, this);
    lblVersion->setObjectName("lblVersion");
    lblVersion->move(48, 24);
    lblVersion->adjustSize();

    // A bevel that draws only its top edge: the rule lies at its top.
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 48, 241, 2);

    lblWebsite = new QLabel("Website:", this);
    lblWebsite->setObjectName("lblWebsite");
    lblWebsite->setGeometry(8, 56, 49, 25);
    lblWebsite->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    sbWebsite = new QToolButton(this);
    sbWebsite->setObjectName("sbWebsite");
    sbWebsite->setText(kWebsite);
    sbWebsite->setGeometry(64, 56, 177, 25);
    sbWebsite->setAutoRaise(true);
    QFont linkFont;
    linkFont.setUnderline(true);
    sbWebsite->setFont(linkFont);
    sbWebsite->setCursor(Qt::PointingHandCursor);
    // A speed button never takes the focus, so OK keeps Enter.
    sbWebsite->setFocusPolicy(Qt::NoFocus);
    connect(sbWebsite, &QToolButton::clicked, this, &TfrmAbout::sbWebsiteClick);

    lblCopyright = new QLabel("Copyright (c) 2026 The Kalvex developers", this);
    lblCopyright->setObjectName("lblCopyright");
    lblCopyright->setGeometry(8, 88, 241, 17);
    lblCopyright->setAlignment(Qt::AlignCenter);

    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setGeometry(176, 8, 75, 23);
    // The default button for Enter; Esc rejects the box, which closes it the same way.
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    cmdOK->setFocus();

    FormCreate();
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::FormCreate() {
    // The owner's icon, which is the application's unless the owner has its own.
    imgAppIcon->setPixmap(windowIcon().pixmap(kIconSize, kIconSize));
}

void TfrmAbout::sbWebsiteClick() {
    m_opener.OpenUrl(QUrl(kWebsite));
}

}  // namespace kalvex
