#include "app/ModalTrackingView.h"

namespace quenby {

CModalTrackingView::COpen::~COpen() {
    if (--m_owner.m_iOpen == 0 && m_owner.m_onAllClosed) {
        m_owner.m_onAllClosed();
    }
}

EMessageResult CModalTrackingView::ShowMessage(std::u16string_view text, EMessageIcon icon,
                                               EMessageButtons buttons) {
    const COpen open(*this);
    return m_view.ShowMessage(text, icon, buttons);
}

bool CModalTrackingView::ShowSuppressibleNotice(std::u16string_view text) {
    const COpen open(*this);
    return m_view.ShowSuppressibleNotice(text);
}

std::optional<std::filesystem::path> CModalTrackingView::ChooseFile(EFileDialog kind) {
    const COpen open(*this);
    return m_view.ChooseFile(kind);
}

void CModalTrackingView::ShowAboutBox() {
    const COpen open(*this);
    m_view.ShowAboutBox();
}

bool CModalTrackingView::RunMessageEditor(CMessageEditorPresenter& editor) {
    const COpen open(*this);
    return m_view.RunMessageEditor(editor);
}

void CModalTrackingView::RunSettingsDialog(CSettingsPresenter& settings) {
    const COpen open(*this);
    m_view.RunSettingsDialog(settings);
}

}  // namespace quenby
