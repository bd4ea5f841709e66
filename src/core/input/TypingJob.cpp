#include "input/TypingJob.h"

namespace quenby {

Status RunTypingJob(const KeystrokeServices& services, const TypingJob& job) {
    CAppHelper helper(services);
    helper.m_uCharDelayMin = job.m_uCharDelayMin;
    helper.m_uCharDelayMax = job.m_uCharDelayMax;
    helper.m_iKeyInputMethod = job.m_iKeyInputMethod;
    helper.m_bSetTextAtCursor = job.m_bSetTextAtCursor;
    helper.m_ptRunCursor = job.m_ptRunCursor;
    return helper.TypeMessage(job.m_strText, job.m_bEnterBefore, job.m_bEnterAfter);
}

}  // namespace quenby
