#include "qt/DlgInputMethod.h"

#include <QGroupBox>
#include <QIcon>

#include "app/ProfileValues.h"
#include "app/Texts.h"
#include "qt/QtText.h"

namespace quenby {

CDlgInputMethod::CDlgInputMethod(CSettingsPresenter& presenter, QWidget* parent)
    : QDialog(parent), m_presenter(presenter) {
    m_layout = std::make_unique<CDialogLayout>(this, QSize(325, 195));
    m_layout->Add(new QGroupBox(tr("Keyboard Simulation Method"), this), QRect(11, 7, 302, 70));
    m_pUnicode = new QRadioButton(tr("Normal (Supports Multiple Language Characters)"), this);
    m_layout->Add(m_pUnicode, QRect(88, 34, 168, 10));
    m_pLayout = new QRadioButton(tr("Use Current Keyboard Layout"), this);
    m_layout->Add(m_pLayout, QRect(88, 48, 109, 10));
    m_methods.addButton(m_pUnicode, KEY_INPUT_UNICODE);
    m_methods.addButton(m_pLayout, KEY_INPUT_LAYOUT);
    m_pRememberPosition = new QCheckBox(tr("Remember Last Position and Size"), this);
    m_layout->Add(m_pRememberPosition, QRect(11, 89, 121, 10));
    m_pSetText = new QCheckBox(
        tr("If Possible Set Text instead of Typing at Initial Cursor Location"), this);
    m_layout->Add(m_pSetText, QRect(11, 108, 210, 10));
    m_pHelp = new QPushButton(tr("Help"), this);
    m_layout->Add(m_pHelp, QRect(230, 106, 50, 14));
    m_pSetTextInfo = new QLabel(ToQString(kSetTextInfoInitial), this);
    m_layout->Add(m_pSetTextInfo, QRect(35, 126, 266, 8));
    m_layout->Add(new QLabel(tr("Note : Text Cursor Location will also be Different as Compared "
                                "to Normal Typing"),
                             this),
                  QRect(35, 141, 251, 8));
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    m_layout->Add(ok, QRect(147, 161, 83, 28));
    auto* cancel = new QPushButton(tr("Cancel"), this);
    m_layout->Add(cancel, QRect(236, 161, 83, 28));
    m_pEncryptionInfo = new QPushButton(tr("Encryption Info"), this);
    m_layout->Add(m_pEncryptionInfo, QRect(7, 168, 88, 14));

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_pSetText, &QCheckBox::clicked, this, [this] { OnSetTextClicked(); });
    connect(m_pHelp, &QPushButton::clicked, this, [this] {
        ShowMessageBox(this, text::kSetTextHelp, EMessageIcon::Information, EMessageButtons::Ok);
    });
    connect(m_pEncryptionInfo, &QPushButton::clicked, this, [this] {
        ShowMessageBox(this, text::kSettingsEncryptionInfo, EMessageIcon::Information,
                       EMessageButtons::Ok);
    });
    m_probe.setInterval(static_cast<int>(kSetTextProbeMilliseconds));
    connect(&m_probe, &QTimer::timeout, this, [this] { OnTimer(); });

    const SettingsFields fields = m_presenter.OnInitDialog();
    // A stored method that names neither button checks none.
    m_methods.setExclusive(false);
    m_pUnicode->setChecked(fields.m_nInputMethod == KEY_INPUT_UNICODE);
    m_pLayout->setChecked(fields.m_nInputMethod == KEY_INPUT_LAYOUT);
    m_methods.setExclusive(true);
    m_pRememberPosition->setChecked(fields.m_bRememberPosition);
    m_pSetText->setChecked(fields.m_bSetText);
    if (m_presenter.IsProbing()) {
        m_probe.start();
    }
    setWindowTitle(ToQString(m_presenter.Caption()));
    setWindowIcon(QIcon(":/icons/quenby-idle.svg"));
    setFixedSize(m_layout->InitialSize());
}

void CDlgInputMethod::OnSetTextClicked() {
    if (m_presenter.OnSetTextClicked(m_pSetText->isChecked())) {
        m_probe.start();
    } else {
        m_pSetTextInfo->clear();
        m_probe.stop();
    }
}

void CDlgInputMethod::OnTimer() {
    if (const std::optional<std::u16string> line = m_presenter.OnTimer()) {
        m_pSetTextInfo->setText(ToQString(*line));
    }
}

void CDlgInputMethod::accept() {
    const int checked = m_methods.checkedId();
    m_presenter.OnOK(
        {checked < 0 ? -1 : checked, m_pRememberPosition->isChecked(), m_pSetText->isChecked()});
    m_probe.stop();
    QDialog::accept();
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    CDialogLayout layout(this, QSize(235, 55));
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(":/icons/quenby-idle.svg").pixmap(32, 32));
    layout.Add(icon, QRect(11, 17, 21, 20));
    layout.Add(new QLabel(ToQString(text::kAboutVersion), this), QRect(40, 10, 119, 8));
    layout.Add(new QLabel(ToQString(text::kAboutContact), this), QRect(40, 25, 150, 8));
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setDefault(true);
    layout.Add(ok, QRect(178, 7, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setWindowTitle(ToQString(text::kAboutCaptionPrefix) + ToQString(kAppTitle));
    setWindowIcon(QIcon(":/icons/quenby-idle.svg"));
    setFixedSize(layout.InitialSize());
}

}  // namespace quenby
