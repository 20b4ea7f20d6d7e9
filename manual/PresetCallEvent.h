#pragma once

#include "PresetCallParam.h"
#include "VantrelEvent.h"

#include <memory>

// WM_MANUAL_TEST for MANUAL_CALL_PRESET. word2 carries the address of the heap
// PresetCallParam as every 1022 event does, but the event owns the record until
// a handler takes it with Take(): an event that nobody handles (no controller,
// receiver gone, item gated off) still frees the record when Qt deletes it.
class PresetCallEvent : public VantrelEvent {
public:
    explicit PresetCallEvent(std::unique_ptr<PresetCallParam> param);
    ~PresetCallEvent() override;

    // Moves the record out of event and clears its word2. Null for any other
    // event, and for a preset event whose record was taken before: a bare word
    // is never read as an address.
    static std::unique_ptr<PresetCallParam> Take(QEvent* event);

private:
    std::unique_ptr<PresetCallParam> m_param;
};
