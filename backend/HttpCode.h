#pragma once

// How the back-end client's exchange ended: its own codes only. The back-end's
// JSON "ret" travels beside the code (HttpResult), never as one: a back-end may
// send any number, these included. Log lines and message boxes show the number.
enum class HttpCode : int {
    Ok = 0,                    // the back-end answered; for a request, with a JSON object
    BadReply = -1,             // the body is not a JSON object, or its "ret" not an integer
    NotResolved = 1,
    SocketStartup = 2,
    Stopped = 3,               // before the request went out (entry, name lookup, connect wait) / no socket
    ReceiveBufferOption = 4,
    ConnectTimeout = 5,        // not connected within 2 s
    SendIncomplete = 6,        // the request did not go out whole
    ReceiveTimeout = 7,        // a 2 s receive wait ran out / stopped while receiving
    ReceiveFailed = 8,         // receive failed or the peer closed early
    BufferMissing = 11,
    LoginIncomplete = 13,      // login without user or password
    HttpStatus = 100,          // a status other than 200
    DownloadArgument = 101,    // download folder or URL empty
    DownloadBuffer = 102,      // no download receive buffer
    DownloadFile = 103,        // no usable file name, or the file can't be written
};

constexpr int CodeValue(HttpCode code) { return static_cast<int>(code); }
