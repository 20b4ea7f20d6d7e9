#include "PresetCallEvent.h"

#include "EnumClass.h"

PresetCallEvent::PresetCallEvent(std::unique_ptr<PresetCallParam> param)
    : VantrelEvent(WM_MANUAL_TEST, EnumClass::MANUAL_CALL_PRESET, reinterpret_cast<qint64>(param.get())),
      m_param(std::move(param))
{
}

PresetCallEvent::~PresetCallEvent() = default;

std::unique_ptr<PresetCallParam> PresetCallEvent::Take(QEvent* event)
{
    auto* preset = dynamic_cast<PresetCallEvent*>(event);
    if (!preset)
        return nullptr;
    preset->word2 = 0;
    return std::move(preset->m_param);
}
