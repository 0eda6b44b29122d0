// SIGINT and SIGTERM, the requests to end that a terminal or a session manager sends.
#pragma once

// Call first thing in main, before anything starts SDL. While a window exists, a request
// becomes a close of that window, as from the desktop, which the message loop reads (the
// display mode goes back, status 0); before that, and when a request is already waiting
// unheeded, it ends the process as it would without any handler. SDL's own handlers, which turn a
// request into an event that nothing reads during start-up, are kept out.
void CatchEndRequests();
