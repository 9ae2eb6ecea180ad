#include <algorithm>
#include <cstring>

#include "ActionRecord.h"
#include "DebugPrint.h"
#include "Device.h"
#include "DrovoErrorCodes.h"

namespace {

void LogAddToList(int32_t line) {
    DebugPrint("[TI:D] ERROR %s %s %i\n", "Device::AddToList", "Device", line);
}

}  // namespace

int32_t Device::GetMaxActions() const {
    switch (m_iFirmwareMajor) {
        case 0x05:
        case 0x10:
        case 0x11:
        case 0x12:
        case 0x15:
        case 0x17:
        case 0x22:
            return 192;
        case 0x18:
        case 0x19:
        case 0x20:
        case 0x21:
            return -1;
        default:
            return 64;
    }
}

int32_t Device::ListBound() const {
    return std::min(GetMaxActions(), kActionListSlots);
}

int32_t Device::AddToList(Action* action) {
    if (!action) {
        m_iLastError = DROVO_BAD_PARAMETER;
        return -1;
    }
    // The bound is tested under the lock, so concurrent callers cannot push the list past it.
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!(m_iActionCount + 1 < ListBound())) {
        LogAddToList(1460);
        m_iLastError = DROVO_LIST_FULL;
        return -1;
    }
    m_pActions[m_iActionCount] = action;
    if (++m_iActionCount < 0) {
        LogAddToList(1471);
        m_iLastError = DROVO_INTERNAL_ERROR;
    }
    return 0;
}

int32_t Device::AddToList(Action* const* actions, int32_t count) {
    if (count < 0) {
        LogAddToList(1499);
        m_iLastError = DROVO_INTERNAL_ERROR;
        return -1;
    }
    if (count > 0 &&
        (!actions || std::find(actions, actions + count, nullptr) != actions + count)) {
        m_iLastError = DROVO_BAD_PARAMETER;
        return -1;
    }
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!(static_cast<int64_t>(m_iActionCount) + count < ListBound())) {
        LogAddToList(1491);
        m_iLastError = DROVO_LIST_FULL;
        return -1;
    }
    std::copy(actions, actions + count, m_pActions + m_iActionCount);
    m_iActionCount += count;
    if (m_iActionCount < 0) {
        LogAddToList(1507);
        m_iLastError = DROVO_INTERNAL_ERROR;
    }
    return 0;
}

void Device::ClearActionList() {
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    m_iAwaitingResponse = 0;
    for (int32_t i = 0; i < m_iActionCount; ++i)
        ReleaseAction(m_pActions[i]);
    std::fill(std::begin(m_pActions), std::end(m_pActions), nullptr);
    m_iActionCount = 0;
}

void Device::TakeNextBatch(Action** batch, int32_t* count) {
    const int32_t queued = m_iActionCount;
    if (queued <= 0)
        return;
    if (std::find(m_pActions, m_pActions + queued, nullptr) != m_pActions + queued) {
        *count = 0;
        return;
    }
    // A controller without action lists still gets its whole list as one batch (which
    // CreateActionList refuses); the batch array has room for every slot.
    const int32_t limit = GetMaxActions() > 0 ? GetMaxActions() : kActionListSlots;
    const uint32_t timeFactor = m_pActions[0]->timeFactor;
    const bool uniform = std::all_of(m_pActions, m_pActions + queued, [timeFactor](Action* a) {
        return a->timeFactor == timeFactor && !a->standalone;
    });
    int32_t taken = 0;
    int32_t kept = 0;
    bool standaloneMet = false;
    for (int32_t i = 0; i < queued; ++i) {
        Action* action = m_pActions[i];
        bool take;
        if (uniform) {
            take = taken < limit;
        } else if (!action->standalone && !standaloneMet) {
            take = action->timeFactor == timeFactor && taken < limit;
        } else {
            take = taken == 0;
            standaloneMet = true;
        }
        if (take) {
            batch[taken++] = action;
        } else {
            m_pActions[kept++] = action;
        }
    }
    std::fill(m_pActions + kept, m_pActions + queued, nullptr);
    m_iActionCount = kept;
    *count = taken;
}
