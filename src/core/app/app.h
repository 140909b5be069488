// The program: start-up, the frame loop and shutdown.
#pragma once

// Runs the game with the command line; returns the process exit status.
int app_main(int argc, char** argv);
