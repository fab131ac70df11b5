#include "JThread.h"

JMutex::JMutex() = default;
JMutex::~JMutex() = default;

int JMutex::Init() {
    m_bInitialized = true;
    return 0;
}

int JMutex::Lock() {
    if (!m_bInitialized) return ERR_JMUTEX_NOT_INIT;
    m_mutex.lock();
    return 0;
}

int JMutex::Unlock() {
    if (!m_bInitialized) return ERR_JMUTEX_NOT_INIT;
    m_mutex.unlock();
    return 0;
}
