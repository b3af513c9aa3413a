// The stream benchmark's client-view run: the window's live view and a series of captures from
// the Capture Photo path, first alone, then with the client view started on loopback (live view
// ticked) and the studio's pages open on it; what the window showed, what reached the folder on
// time, what the pages got and the CPU the pages added.
#pragma once

#include <string>

class CMainApp;
class ClientLoad;

struct ClientViewRun {
    int eventPages = 8, livePages = 8, captures = 100;
    double seconds = 20;   // each half; the captures are spread over it
    double fps = 30;
};

// Prints a JSON line a half and a summary line; 0 when nothing was lost.
int RunClientView(CMainApp& app, ClientLoad& load, const ClientViewRun& run,
                  const std::string& folder);
