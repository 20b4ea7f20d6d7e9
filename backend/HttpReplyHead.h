#pragma once

#include <cstddef>
#include <string>

// Reading the head of an HTTP reply while it arrives, over the raw bytes
// received so far (which may hold NULs). Only whole header lines are read, so
// a body can't set the status, the cookie or the length, and a header split
// between two pieces is read once whole. Positions are npos when absent.
namespace HttpReplyHead {

// Finds needle in [data, data + length).
size_t Find(const char* data, size_t length, const char* needle, size_t from = 0);

// The end of the whole header lines received so far: the blank line once it has
// come (blankLine, from Find of "\r\n\r\n"), else the last CR LF.
size_t LinesEnd(const char* buf, size_t received, size_t blankLine);

// Where the status code starts (9 characters after "HTTP/"), once that line is whole.
size_t StatusCodeAt(const char* buf, size_t linesEnd);

// Where the value of the first header line named `name` starts: just after its
// ":" and one blank, if there is one. Field names are matched whatever their
// case, as HTTP says.
size_t ValueAt(const char* buf, size_t linesEnd, const char* name);

// The number of the Content-Length header line; false when absent or not a number.
bool ContentLength(const char* buf, size_t linesEnd, long long* length);

// A body without a length of its own ends where the server closes the connection
// (HTTP/1.0, or HTTP/1.1 with "Connection: close"). With a Content-Length the close
// comes too early; a transfer coding this client does not decode is no body.
bool ClosingEndsTheBody(const char* buf, size_t linesEnd);

// A header value holds no control byte but the tab.
bool SafeValue(const std::string& value);

}  // namespace HttpReplyHead
