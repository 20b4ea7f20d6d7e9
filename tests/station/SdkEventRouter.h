#pragma once

#include "AuxResponseInfo.h"
#include "FuncLib.h"
#include "LeftTopWidgetTestPeer.h"

#include <cstring>

// Hands the SDK's status events and replies to the controller on the GUI
// thread, as the main window does, through the controller's hand-off queue.
class SdkEventRouter {
public:
    void Attach(LeftTopWidget* widget)
    {
        m_widget = widget;
        FC_Loc_SetStatusCallback(&SdkEventRouter::OnStatus, this);
        FC_Loc_SetMessageCallback(&SdkEventRouter::OnReply, this);
    }
    // No callback runs once this returns; what was handed over is delivered.
    void Detach()
    {
        if (!m_widget)
            return;
        FC_Loc_SetStatusCallback(nullptr, this);
        FC_Loc_SetMessageCallback(nullptr, this);
        Peer(*m_widget).HandOffs().RunPending();
        m_widget = nullptr;
    }

private:
    static char* Copy(const char* text)
    {
        char* copy = new char[std::strlen(text) + 1];
        std::strcpy(copy, text);
        return copy;
    }

    void Deliver(AuxResponseInfo* info, bool reply)
    {
        LeftTopWidget* widget = m_widget;
        const bool posted = Peer(*widget).HandOffs().Post([widget, info, reply] {
            if (reply)
                widget->onAuxResponse(info);
            else
                widget->onStatusEvent(info);
            FreeAuxResponseInfo(info);
        });
        if (!posted)
            FreeAuxResponseInfo(info);
    }

    static int OnStatus(int64_t handle, int type, const char* data, void* user)
    {
        auto* info = new AuxResponseInfo;
        info->lLoginID = handle;
        info->lStateCode = type;
        if (data && type != EVENT_LINK_STATE)
            info->pResponse = Copy(data);
        static_cast<SdkEventRouter*>(user)->Deliver(info, false);
        return 0;
    }

    static int OnReply(int64_t handle, int state, const char* text, void* user)
    {
        auto* info = new AuxResponseInfo;
        info->lLoginID = handle;
        info->lStateCode = state;
        info->pResponse = Copy(text ? text : "");
        static_cast<SdkEventRouter*>(user)->Deliver(info, true);
        return 0;
    }

    LeftTopWidget* m_widget = nullptr;
};
