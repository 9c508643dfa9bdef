#pragma once

// The network library the FTP sessions run on. It is started once, on the
// user-interface thread before any other thread exists, because its global
// start-up is not safe to race; a broken installation (a TLS backend that
// cannot load, no memory) shows here, before a window is made.
namespace NetworkLibrary {

// True when the library is ready for use; each success is matched by one stop().
bool start();
void stop();

} // namespace NetworkLibrary
