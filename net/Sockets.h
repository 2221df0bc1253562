#pragma once

// Everything of the socket layer in one include.
#include "ESocketError.h"
#include "SocketExceptionHook.h"
#include "SocketTypes.h"
#include "TAbstractSocket.h"
#include "TClientSocket.h"
#include "TClientWinSocket.h"
#include "TCustomServerSocket.h"
#include "TCustomSocket.h"
#include "TCustomWinSocket.h"
#include "TServerAcceptThread.h"
#include "TServerClientThread.h"
#include "TServerClientWinSocket.h"
#include "TServerSocket.h"
#include "TServerWinSocket.h"
