#pragma once

struct TputSettings;

// UDP serving in the listener's thread: one loop receives the datagrams of
// every peer, keeps a slot (and a report) per peer and answers each final
// datagram with the peer's statistics.
void tputlib_udp_single_server(TputSettings* listener);
