#include "input/TypingJob.h"

namespace quenby {

TypingResult RunTypingJob(const KeystrokeServices& services, const TypingJob& job,
                          const std::atomic<bool>* stopNow) {
    CAppHelper helper(services);
    helper.m_uCharDelayMin = job.m_uCharDelayMin;
    helper.m_uCharDelayMax = job.m_uCharDelayMax;
    helper.m_iKeyInputMethod = job.m_iKeyInputMethod;
    helper.m_bSetTextAtCursor = job.m_bSetTextAtCursor;
    helper.m_ptRunCursor = job.m_ptRunCursor;
    helper.m_bStopOnFocusChange = job.m_bStopOnFocusChange;
    helper.m_pStopNow = stopNow;
    return helper.TypeMessage(job.m_strText, job.m_bEnterBefore, job.m_bEnterAfter);
}

}  // namespace quenby
