#include "SimulatedCard.h"

#include <algorithm>
#include <cstring>

#include "platform/textcodec.h"

bool SimulatedCard::Read(const std::string& text, const std::vector<int32_t>& results, size_t& next,
                         char* buf, size_t size, int32_t& error) {
    const int32_t result = results.empty() ? 0 : results[std::min(next, results.size() - 1)];
    ++next;
    if (result != 0) {
        error = result;
        return false;
    }
    // The caller's buffer has a fixed size: a longer text is cut, and always terminated.
    const size_t n = std::min(text.size(), size - 1);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    return true;
}

bool SimulatedCard::ReadImsi(char* buf, size_t size, int32_t& error) {
    ++m_nImsiReads;
    std::lock_guard<std::mutex> lock(m_mutex);
    return Read(Utf8ToGbk(m_card.imsi), m_card.imsiResults, m_nextImsi, buf, size, error);
}

bool SimulatedCard::ReadSpn(char* buf, size_t size, int32_t& error) {
    ++m_nSpnReads;
    std::lock_guard<std::mutex> lock(m_mutex);
    return Read(Utf8ToGbk(m_card.spn), m_card.spnResults, m_nextSpn, buf, size, error);
}

void SimulatedCard::SetCard(const CardProfile& card) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_card = card;
    m_nextImsi = 0;
    m_nextSpn = 0;
}

bool SimulatedCard::HasComm() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_card.bComm;
}
