#pragma once

struct TputSettings;

// Thread body of a server: receives one connection until the peer ends it.
void tputlib_server_spawn(TputSettings* server);
void tputlib_server_run(TputSettings* server, char* buffer);
