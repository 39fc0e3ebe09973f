#pragma once

// Codes the serial worker posts to the main frame (the WM_APP status codes),
// and the error codes of its answers. One place for both.

// Notification codes: (code, argument) through CGenericServer's notify callback.
enum : unsigned {
  kSerProgressStart = 301,  // a paged transfer starts; argument = pages
  kSerProgressStep = 302,   // argument = pages done
  kSerProgressDone = 303,   // the transfer ended well
  kSerProgressFailed = 304, // the transfer failed
  kSerAnswerReady = 305,    // an answer is in the answer list; argument = answers waiting
  kSerPortOpened = 306,     // the port was opened; IsActive() is now true
  kSerPortClosed = 307,     // the port was closed
  kSerRetry = 308,          // an exchange is repeated; argument = attempt number
  kSerLinkError = 309,      // an answer carries an error; argument = error code
  kSerBeep = 310,           // beep on error is on and an answer failed: the frame beeps
  kSerTraceStart = 311,     // trace-buffer download starts; argument = pages
  kSerTraceStep = 312,      // argument = pages done
  kSerTraceDone = 313,
  kSerTraceFailed = 314,
};

// Answer error codes (`CRequestPacket::error`).
enum : unsigned short {
  kSerOk = 0,
  kSerErrTimeout = 1,     // no answer within the time-out, retries spent
  kSerErrCrc = 2,         // answer with a bad CRC, retries spent
  kSerErrException = 3,   // the board answered with a Modbus exception
  kSerErrMalformed = 4,   // short, inconsistent or unexpected answer
  kSerErrPortMissing = 5, // the device does not exist (adapter unplugged?)
  kSerErrPortBusy = 6,    // the device is open in another program
  kSerErrPortOpen = 7,    // the device could not be opened or set up
  kSerErrBadSlave = 8,    // slave 0 or above 247: nothing sent
  kSerErrBadRequest = 9,  // unknown kind, register range or count: nothing sent
  kSerErrLinkLost = 10,   // the device went away during the exchange
  kSerErrStopped = 11,    // the manager stopped during the exchange
  // 12 is never produced: the frame hides the text of that code.
};
