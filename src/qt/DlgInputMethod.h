#pragma once

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <memory>

#include "app/SettingsPresenter.h"
#include "qt/DialogLayout.h"

namespace quenby {

// The settings dialog: draws the choices, runs the probe timer, and hands OK to the presenter.
class CDlgInputMethod final : public QDialog {
public:
    CDlgInputMethod(CSettingsPresenter& presenter, QWidget* parent);

    void accept() override;

    QRadioButton* m_pUnicode;
    QRadioButton* m_pLayout;
    QCheckBox* m_pRememberPosition;
    QCheckBox* m_pStopOnFocusChange;
    QCheckBox* m_pSetText;
    QLabel* m_pSetTextInfo;
    QPushButton* m_pHelp;
    QPushButton* m_pEncryptionInfo;
    QTimer m_probe;

private:
    void OnSetTextClicked();
    void OnTimer();

    CSettingsPresenter& m_presenter;
    std::unique_ptr<CDialogLayout> m_layout;
    QButtonGroup m_methods;
};

// The About box.
class CAboutDlg final : public QDialog {
public:
    explicit CAboutDlg(QWidget* parent);
};

}  // namespace quenby
