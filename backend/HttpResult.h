#pragma once

#include "HttpCode.h"

#include <string>

// A request's outcome: its code and the reply body up to its first NUL (after
// HttpCode::HttpStatus the status text instead; nothing after another failure).
struct HttpResult {
    HttpCode code = HttpCode::BadReply;
    std::string body;
    int replySize = 0;   // raw bytes received, head and all

    int Value() const { return CodeValue(code); }
};
