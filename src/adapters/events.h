// Adapter event polling on the event thread.
#pragma once

#include <cstdint>

// Starts the event thread (it ends at once unless node.app.core.aen.enable
// is set); answers its id, 0 when it could not start.
uint64_t StartEventThread();
// Stops the poll loop and waits until the thread has left it.
void StopEventThread();
// One poll of adapter events: -2 when a change event was seen, else 0.
int handleAEN();
// Port state check of every device: -2 when a rebuild is needed, else 0.
int CoreHandlePortStateChange();
// One pass of the poll loop body (for tests): runs the checks that are due.
void PollEventsOnce();
// Name of an event type ("**Unknown**" for types without a name).
const char *AenEventName(uint32_t type);
