#pragma once

#include "HttpCode.h"

#include <string>

// A request's outcome. code says how the exchange ended: HttpCode::Ok when the
// back-end answered with a JSON object, whose "ret" is then in ret, a number of
// the back-end's own that may equal any code. body is the reply body up to its
// first NUL (after HttpCode::HttpStatus the status text instead; nothing after
// another failure).
struct HttpResult {
    HttpCode code = HttpCode::BadReply;
    int ret = 0;
    std::string body;
    int replySize = 0;   // raw bytes received, head and all

    bool Answered() const { return code == HttpCode::Ok; }
    // The back-end answered and took the request ("ret" 0).
    bool Accepted() const { return Answered() && ret == 0; }
    // The one number that logs and boxes show: "ret" after an answer, else the code.
    int Value() const { return Answered() ? ret : CodeValue(code); }
};
