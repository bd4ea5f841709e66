#include "qt/DlgInputMethod.h"

#include <QGroupBox>
#include <QIcon>

#include "app/ProfileValues.h"
#include "app/Texts.h"
#include "qt/QtText.h"

namespace quenby {

CDlgInputMethod::CDlgInputMethod(CSettingsPresenter& presenter, QWidget* parent)
    : QDialog(parent), m_presenter(presenter) {
    m_layout = std::make_unique<CDialogLayout>(
        this, QSize(kSettingsDialog.m_iWidth, kSettingsDialog.m_iHeight));
    m_layout->Build(kSettingsDialog);
    m_pUnicode = m_layout->Control<QRadioButton>(1031);
    m_pLayout = m_layout->Control<QRadioButton>(1032);
    m_methods.addButton(m_pUnicode, KEY_INPUT_UNICODE);
    m_methods.addButton(m_pLayout, KEY_INPUT_LAYOUT);
    m_pRememberPosition = m_layout->Control<QCheckBox>(1013);
    m_pStopOnFocusChange = m_layout->Control<QCheckBox>(1024);
    m_pStopOnFocusChange->setText(ToQString(m_presenter.StopOnFocusChangeLabel()));
    m_pSetText = m_layout->Control<QCheckBox>(1018);
    m_pHelp = m_layout->Control<QPushButton>(1020);
    m_pSetTextInfo = m_layout->Control<QLabel>(1019);
    auto* ok = m_layout->Control<QPushButton>(1);
    auto* cancel = m_layout->Control<QPushButton>(2);
    m_pEncryptionInfo = m_layout->Control<QPushButton>(1021);

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
    m_pStopOnFocusChange->setChecked(fields.m_bStopOnFocusChange);
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
    m_presenter.OnOK({checked < 0 ? -1 : checked, m_pRememberPosition->isChecked(),
                      m_pSetText->isChecked(), m_pStopOnFocusChange->isChecked()});
    m_probe.stop();
    QDialog::accept();
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    CDialogLayout layout(this, QSize(kAboutDialog.m_iWidth, kAboutDialog.m_iHeight));
    layout.Build(kAboutDialog);
    auto* ok = layout.Control<QPushButton>(1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setWindowTitle(ToQString(text::kAboutCaptionPrefix) + ToQString(kAppTitle));
    setWindowIcon(QIcon(":/icons/quenby-idle.svg"));
    setFixedSize(layout.InitialSize());
}

}  // namespace quenby
