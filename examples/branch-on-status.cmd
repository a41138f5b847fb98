@echo off
rem Sends one command with Larkwire.exe and acts on the outcome, as a playout
rem script would: go on when the server accepted it, fall back when it refused
rem or did not answer, and stop for a person otherwise.
rem
rem   branch-on-status.cmd IP PORT LAYER COMMAND_FILE
rem
rem LARKWIRE names the client when it is not Larkwire.exe in the current folder
rem or on the PATH, for example C:\Program Files\Larkwire\Larkwire.exe.
setlocal
if not defined LARKWIRE set "LARKWIRE=Larkwire.exe"

"%LARKWIRE%" %*
set status=%ERRORLEVEL%
rem A few of the client's messages (a bad port or layer, a file that does not
rem open) have no line end of their own: an empty echo ends them.
echo.

rem The status is compared as a number, never with "if errorlevel 1", which
rem means "1 or more": every negative status passes it by, and a refused
rem command (-12) would take the success branch. To stop on anything but
rem success: if %status% NEQ 0 goto failed
if %status% EQU 0 goto accepted
if %status% EQU -12 goto fallback
rem Mostly the arguments, the command file, the network or the socket library:
rem nothing reached the server's judgement, and retrying the same command will
rem not help. But a client stopped while it waited (Ctrl+C: -1073741510; ended
rem by Task Manager or taskkill /f: 1) lands here too, after the server may
rem have acted on the command: a person looks before anything is sent again.
echo no verdict from the server (status %status%): check the arguments, the file, the network and the server
exit /b 2

:accepted
echo accepted: going on with the rundown
exit /b 0

:fallback
rem A refusal, a lost connection or five minutes without an answer: the server
rem was reached, so a fallback (another clip, a retry) may help.
echo refused or unanswered: playing the fallback
exit /b 1
