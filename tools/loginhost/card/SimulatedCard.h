// The simulated data card of card.ini: each read takes the next scripted result, and the last
// one repeats. Scripts may change the card between steps.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "CardSource.h"
#include "HostProfile.h"

class SimulatedCard : public CardSource {
public:
    explicit SimulatedCard(const CardProfile& card) : m_card(card) {}

    bool ReadImsi(char* buf, size_t size, int32_t& error) override;
    bool ReadSpn(char* buf, size_t size, int32_t& error) override;
    bool HasComm() const override;

    // For later steps of a run (scripts): change the card; its read results restart.
    void SetCard(const CardProfile& card);
    int ImsiReads() const { return m_nImsiReads; }
    int SpnReads() const { return m_nSpnReads; }

private:
    static bool Read(const std::string& text, const std::vector<int32_t>& results, size_t& next,
                     char* buf, size_t size, int32_t& error);
    mutable std::mutex m_mutex;
    CardProfile m_card;
    size_t m_nextImsi = 0;
    size_t m_nextSpn = 0;
    std::atomic<int> m_nImsiReads{0};
    std::atomic<int> m_nSpnReads{0};
};
