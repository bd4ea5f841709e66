#include "win32/Win32Typist.h"

#include <objbase.h>

#include "input/TypingJob.h"

namespace quenby {
namespace {

constexpr UINT kReportMessage = WM_APP + 1;

// What travels through the message queue: the report and the result for it.
struct Report {
    std::function<void(TypingResult)> m_done;
    TypingResult m_result;
};

}  // namespace

CWin32Typist::CWin32Typist(const KeystrokeServices& services, const CSendInputKeyboard& keyboard)
    : m_services(services), m_keyboard(keyboard), m_window([](UINT message, WPARAM, LPARAM lParam) {
          if (message != kReportMessage) {
              return false;
          }
          std::unique_ptr<Report> report(reinterpret_cast<Report*>(lParam));
          report->m_done(report->m_result);
          return true;
      }) {}

CWin32Typist::~CWin32Typist() {
    if (m_worker.joinable()) {
        m_worker.join();
    }
    DropPendingReports();
}

void CWin32Typist::DropPendingReports() {
    MSG message;
    while (::PeekMessageW(&message, m_window.Handle(), kReportMessage, kReportMessage, PM_REMOVE)) {
        delete reinterpret_cast<Report*>(message.lParam);
    }
}

void CWin32Typist::StopNow() {
    m_bStopNow.store(true);
    m_services.m_sleeper.Wake();
}

void CWin32Typist::TypeMessage(TypingJob job, std::function<void(TypingResult)> done) {
    // The run asks for the next message only after the last one reported back.
    if (m_worker.joinable()) {
        m_worker.join();
    }
    m_bStopNow.store(false);
    HWND window = m_window.Handle();
    m_worker = std::thread([this, window, job = std::move(job), done = std::move(done)] {
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        TypingResult result = RunTypingJob(m_services, job, &m_bStopNow);
        // The last keys go out as the message's output ends, after the core's last look.
        if (m_keyboard.Refused() && result.m_eEnd != ETypingEnd::Failed) {
            result = TypingResult{ETypingEnd::Failed, Status::Fail(KeysRefusedReason())};
        }
        if (SUCCEEDED(com)) {
            ::CoUninitialize();
        }
        auto report = std::make_unique<Report>(Report{done, std::move(result)});
        if (::PostMessageW(window, kReportMessage, 0, reinterpret_cast<LPARAM>(report.get()))) {
            report.release();
        }
    });
}

}  // namespace quenby
