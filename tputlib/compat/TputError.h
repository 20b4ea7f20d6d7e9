#pragma once

// The library's two error prints. Both flush every stream first so that the
// message lands after whatever was printed before it.

// Prints "<text> failed\n" to standard error.
void tputlib_fail(const char* text);

// Prints "<text> failed: <reason>\n" to standard error, with the reason taken
// from the calling thread's last socket error.
void tputlib_warn_errno(const char* text);

// Text for a socket error code; "Unknown error" for a code not in the table.
const char* tputlib_error_text(int code);
