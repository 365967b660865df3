// What the game rules need from the window front end; the Windows program
// provides these, tests provide recorders.
#pragma once

// Have the whole client area painted later, from the message loop; the paint
// reads fullRepaint when it happens. Called after every visible change.
void requestRepaint();

// Start the gravity tick with the current tickInterval, restarting its period
// if it runs. Called by row clearing, the pause and after every dialog.
void startGravityTimer();

// No gravity tick arrives until the next start. Called by the game over,
// row clearing, the pause and around every dialog.
void stopGravityTimer();
