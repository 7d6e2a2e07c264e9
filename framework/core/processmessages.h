#pragma once

// Lets the user interface handle what is pending (painting a panel just shown)
// in the middle of a long handler. Events dispatched here run through their
// own handler boundaries, so nothing they raise comes back to the caller.
void ProcessMessages();
