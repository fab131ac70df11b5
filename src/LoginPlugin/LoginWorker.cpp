// The worker loop and the login sequence.
// PENDING: placeholder bodies until this concern is built; failure values only.
#include "LoginImpl.h"

void* CLoginImpl::Thread() {
    ThreadStarted();
    while (!m_bStopThread) m_pClock->Sleep(1000);
    return nullptr;
}

bool CLoginImpl::DoLoginThread() { return false; }

std::string CLoginImpl::GetRegisterUrl() { return {}; }

std::string CLoginImpl::GetLoginUrl() { return {}; }
