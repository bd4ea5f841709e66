#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <memory>

#include "app/MessageEditorPresenter.h"
#include "qt/DialogLayout.h"

namespace quenby {

// The message editor: draws the fields and hands what the user does to the presenter.
class CDlgAutoTextMessage final : public QDialog {
public:
    CDlgAutoTextMessage(CMessageEditorPresenter& presenter, QWidget* parent);

    void accept() override;
    void done(int result) override;

    // The controls, for the tests.
    QLineEdit* m_pText;
    QLineEdit* m_pSeconds;
    QLineEdit* m_pMilliSeconds;
    QLineEdit* m_pCharDelayMin;
    QLineEdit* m_pCharDelayMax;
    QCheckBox* m_pEnterBefore;
    QCheckBox* m_pEnterAfter;
    QPushButton* m_pOk;
    QPushButton* m_pCancel;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    MessageEditorFields Fields() const;
    QLineEdit* Field(EEditorField field) const;

    CMessageEditorPresenter& m_presenter;
    QString m_strShownText;  // the text field before the user's latest edit
    std::unique_ptr<CDialogLayout> m_layout;
};

}  // namespace quenby
