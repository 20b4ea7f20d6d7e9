#pragma once

#include <cstddef>
#include <cstdint>

// Records of the device SDK. Byte layouts are fixed: the station reads them at
// these offsets and some of them travel on the wire.

// One search result as the SDK writes it into the front of the station's device
// record. Only the named fields are ours to read; the gaps are the SDK's.
struct IPCEntry {
    char ipc_sn[32];             // serial number, NUL-terminated
    char szDevType[64];          // device type text
    char szSdkPrivate0[2516];
    int32_t nLoginPort;          // 2612
    char szSdkPrivate1[260];
    int32_t nAddressLock;        // 2876: non-zero: never re-address
    char szIP[256];              // 2880
    char szNetmask[256];         // 3136
    char szGateway[256];         // 3392
    char szSdkPrivate2[792];
    uint32_t dwCloudIdValid;     // 4440: 0x01020304 when szCloudId is valid
    char szSdkPrivate3[4];
    char szCloudId[64];          // 4448
    char szSdkPrivate4[288];
};
static_assert(sizeof(IPCEntry) == 4800, "IPCEntry size");
static_assert(offsetof(IPCEntry, szDevType) == 32, "IPCEntry type text");
static_assert(offsetof(IPCEntry, nLoginPort) == 2612, "IPCEntry login port");
static_assert(offsetof(IPCEntry, nAddressLock) == 2876, "IPCEntry address lock");
static_assert(offsetof(IPCEntry, szIP) == 2880, "IPCEntry IP");
static_assert(offsetof(IPCEntry, szNetmask) == 3136, "IPCEntry netmask");
static_assert(offsetof(IPCEntry, szGateway) == 3392, "IPCEntry gateway");
static_assert(offsetof(IPCEntry, dwCloudIdValid) == 4440, "IPCEntry cloud-ID validity");
static_assert(offsetof(IPCEntry, szCloudId) == 4448, "IPCEntry cloud ID");

constexpr uint32_t IPC_CLOUD_ID_VALID = 0x01020304u;

// Data types of the real-data callback.
enum FcStreamDataType : int {
    FC_STREAM_VIDEO = 0,
    FC_STREAM_AUDIO = 1,
    FC_STREAM_HEADER = 2,
};

// Media header: the first packet (type 2) of every live stream.
struct FC_MediaHeader {
    char szMagic[4];             // "VLXH"
    int32_t nVersion;            // 1
    char szReserved0[24];
    int16_t bHaveVideo;          // 32
    int16_t bHaveAudio;          // 34
    // Video part (36, 536 bytes): the play library's video stream header.
    int32_t nVideoCodec;         // 36: FC_VIDEO_CODEC_SYNTH
    int32_t nVideoWidth;         // 40
    int32_t nVideoHeight;        // 44
    int32_t nVideoFps;           // 48
    char szVideoReserved[520];
    // Audio part (572, 276 bytes): the play library's audio stream header.
    int32_t nAudioCodec;         // 572: FC_AUDIO_CODEC_PCM
    char szAudioReserved0[252];
    int32_t nSampleRate;         // 828
    int32_t nBitsPerSample;      // 832
    int32_t nChannels;           // 836
    char szAudioReserved1[8];
    char szReserved1[512];       // 848 .. 1359
};
static_assert(sizeof(FC_MediaHeader) == 1360, "media header size");
static_assert(offsetof(FC_MediaHeader, bHaveVideo) == 32, "bHaveVideo");
static_assert(offsetof(FC_MediaHeader, bHaveAudio) == 34, "bHaveAudio");
static_assert(offsetof(FC_MediaHeader, nVideoCodec) == 36, "video part");
static_assert(offsetof(FC_MediaHeader, nAudioCodec) == 572, "audio part");
static_assert(offsetof(FC_MediaHeader, nSampleRate) == 828, "sample rate");
static_assert(offsetof(FC_MediaHeader, nBitsPerSample) == 832, "bits per sample");
static_assert(offsetof(FC_MediaHeader, nChannels) == 836, "channels");

constexpr int FC_MEDIA_HEADER_SIZE = 1360;
constexpr int FC_VIDEO_PART_OFFSET = 36;
constexpr int FC_VIDEO_PART_SIZE = 536;
constexpr int FC_AUDIO_PART_OFFSET = 572;
constexpr int FC_AUDIO_PART_SIZE = 276;
constexpr int FC_VIDEO_CODEC_SYNTH = 0x56534E31;  // our synthetic-picture codec
constexpr int FC_AUDIO_CODEC_PCM = 1;             // raw little-endian PCM

// Fifth argument of the real-data callback.
struct FC_PacketInfo {
    int32_t nFrameType;          // video: 1 key picture, 0 other; audio: 0
    int32_t nReserved;
    double dTimeStamp;           // milliseconds since the stream began
    void* pUser;                 // the user pointer of FC_RealPlayParam
};
static_assert(sizeof(FC_PacketInfo) == 24, "packet record size");
static_assert(offsetof(FC_PacketInfo, dTimeStamp) == 8, "packet time stamp");
static_assert(offsetof(FC_PacketInfo, pUser) == 16, "packet user");

// Parameter record of FC_Loc_RealPlayEx.
struct FC_RealPlayParam {
    int32_t nStreamPort;
    int32_t nConstOne;           // 1
    int32_t nStreamSelector;
    int32_t nUnset;
    void* pUser;                 // handed back in every packet record
    int32_t nChannel;            // -1: the device's default
    int32_t nPad;
};
static_assert(sizeof(FC_RealPlayParam) == 32, "real-play parameter size");
static_assert(offsetof(FC_RealPlayParam, nStreamSelector) == 8, "stream selector");
static_assert(offsetof(FC_RealPlayParam, pUser) == 16, "real-play user");
static_assert(offsetof(FC_RealPlayParam, nChannel) == 24, "channel selector");

// One talk-back frame (FC_Loc_SendTalkFrame).
struct FC_TalkFrame {
    int32_t nLength;             // bytes at pData
    uint32_t dwTimeStamp;        // low 32 bits of epoch milliseconds
    uint16_t wSequence;
    uint8_t byUnset[2];
    uint32_t dwSequence;
    const char* pData;
};
static_assert(sizeof(FC_TalkFrame) == 24, "talk frame size");
static_assert(offsetof(FC_TalkFrame, wSequence) == 8, "talk sequence");
static_assert(offsetof(FC_TalkFrame, dwSequence) == 12, "talk sequence copy");
static_assert(offsetof(FC_TalkFrame, pData) == 16, "talk data");

// Status-event types of the status callback.
enum FcStatusEvent : int {
    EVENT_CONNECTFAILED = 2,
    EVENT_LOGINOK = 4,
    EVENT_CONNECTFAILED_LOGIN = 5,
    EVENT_STARTAUDIOOK = 6,
    EVENT_STARTAUDIOFAILED = 7,
    EVENT_STOPAUDIOOK = 8,
    EVENT_STOPAUDIOFAILED = 9,
    EVENT_LINK_STATE = 23,       // carries an FC_LinkStateRecord
    EVENT_CONNECTFAILED_STREAM = 31,
};

// The 168-byte record of status type 23: the state of one SDK link.
struct FC_LinkStateRecord {
    int64_t lHandle;             // login or stream handle
    int32_t nState;              // 0 idle, 1 connected, 2 streaming, 3 lost
    int32_t nReason;
    char szAddress[64];
    char szSerial[32];
    char szReserved[56];
};
static_assert(sizeof(FC_LinkStateRecord) == 168, "type-23 status record size");

constexpr int FC_LINK_STATE_RECORD_SIZE = 168;

// Reply state code: low 24 bits the message code, high byte the signed status.
inline int32_t FcMakeStateCode(int messageCode, int status)
{
    return int32_t((uint32_t(uint8_t(int8_t(status))) << 24) | (uint32_t(messageCode) & 0xFFFFFFu));
}

// Error results of the stand-in SDK calls (all negative).
enum FcError : int {
    FC_ERR_PARAM = -1,           // a null or malformed argument
    FC_ERR_HANDLE = -2,          // a stale or unknown handle
    FC_ERR_NOT_FOUND = -3,       // no device answers at that address or index
    FC_ERR_STATE = -4,           // the call does not fit the current state
    FC_ERR_FILE = -5,            // a file could not be read
    FC_ERR_SEND = -6,            // the command could not be sent to the device
};
