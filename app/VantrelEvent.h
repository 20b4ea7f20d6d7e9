#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QtGlobal>

#include <memory>
#include <utility>

// Codes of the station's one event class; the QEvent type is the code itself.
enum VantrelEventCode : int {
    WM_UPDATE_VIDEO = 1004,
    WM_FULL_SCREEN = 1005,
    WM_DEV_STATUS = 1006,
    WM_DEV_RESPONSE = 1010,
    WM_TEST_TYPE_CHANGED = 1018,
    WM_AUTO_PLAY_CHANGED = 1019,
    WM_BEGIN_AUTO_TEST = 1020,
    WM_RESET_UI = 1021,
    WM_MANUAL_TEST = 1022,
    WM_WIFI_TEST_FINISH = 1023,
    WM_WIFI_TEST_DATA = 1024,
    WM_CONFIG_SAVED = 1026,
    WM_RUN_STATE = 1027,
    WM_CONFIG_CLOSED = 1028,
    WM_PLAYER_STATUS = 1029,
    WM_SENSOR_SWITCH_SUPPORT = 1030,
    WM_MANUAL_ITEM_ENABLE = 1031,
};

// The station's cross-panel and cross-thread notification. Always allocated with
// new and posted. The words are plain values; a heap record travels as the
// event's own, so it goes with the event whether a handler ran or Qt dropped
// the event unhandled (receiver deleted, queue discarded).
//
// Records are named by their owning pointer type (Owner), e.g.
// std::unique_ptr<PlayerStatusInfo>.
class VantrelEvent : public QEvent {
public:
    VantrelEvent(int code, qint64 word1, qint64 word2);
    template <typename Owner>
    VantrelEvent(int code, qint64 word1, qint64 word2, Owner record)
        : VantrelEvent(code, word1, word2)
    {
        if (record)
            m_record = std::make_unique<Carried<Owner>>(std::move(record));
    }
    ~VantrelEvent() override;

    // The record, which the event keeps; null when it carries none of this kind.
    template <typename Owner>
    typename Owner::pointer Record() const
    {
        auto* carried = dynamic_cast<Carried<Owner>*>(m_record.get());
        return carried ? carried->owner.get() : nullptr;
    }
    // Moves the record out of the event; null when it carries none of this kind.
    template <typename Owner>
    Owner TakeRecord()
    {
        auto* carried = dynamic_cast<Carried<Owner>*>(m_record.get());
        if (!carried)
            return Owner();
        Owner taken = std::move(carried->owner);
        m_record.reset();
        return taken;
    }

    qint64 code;
    qint64 word1;
    qint64 word2;

private:
    struct CarriedBase {
        virtual ~CarriedBase() = default;
    };
    template <typename Owner>
    struct Carried final : CarriedBase {
        explicit Carried(Owner record) : owner(std::move(record)) {}
        Owner owner;
    };

    std::unique_ptr<CarriedBase> m_record;
};

// Posts a new VantrelEvent to receiver (normal priority). Returns false, and posts
// nothing, when receiver is null.
bool PostVantrelEvent(QObject* receiver, int code, qint64 word1, qint64 word2);

// Posts a complete event (normal priority), from any thread.
void PostCompleteVantrelEvent(QObject* receiver, VantrelEvent* event);

// As above, with a record that the event owns; with no receiver it is freed here.
template <typename Owner>
bool PostVantrelEvent(QObject* receiver, int code, qint64 word1, qint64 word2, Owner record)
{
    if (!receiver)
        return false;
    PostCompleteVantrelEvent(receiver, new VantrelEvent(code, word1, word2, std::move(record)));
    return true;
}
