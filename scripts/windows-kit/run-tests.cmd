@echo off
rem Runs the kit's test programs on this Windows machine, each architecture
rem in its folder, and writes report.txt beside this file: every program's
rem output (skipped tests are marked "[  SKIPPED ]" with their reasons) and a
rem closing line "N passed, N failed"; each program's GoogleTest results go
rem beside it as report-ARCH-PROGRAM.xml, for a CI system to read. Exits 1
rem when a program failed, crashed, or is not in the kit.
rem
rem   run-tests.cmd [PROGRAM.exe ...]    (default: unit_tests.exe plugin_tests.exe)
rem
rem Only an exit code of 0 is a pass: a crash's negative code is a failure.
rem No build tools and no administrator rights are needed; the tests that
rem need administrator rights (they write the machine's policy key) skip
rem without them, saying so. A run leaves the machine as it found it: the
rem policy key and the workspace store go again when the run made them.
rem
rem The kit's own path is used once, to go there: it may hold spaces, & ! %
rem ^ or any letters. Delayed expansion stays off, so "!" is never read.
setlocal EnableExtensions DisableDelayedExpansion
cd /d "%~dp0"
set passed=0
set failed=0
set "policy=HKLM\Software\Policies\Dravenil"
set "store=%LOCALAPPDATA%\Dravenil"
set policyWasThere=no
reg query "%policy%" >nul 2>&1
if not errorlevel 1 set policyWasThere=yes
set storeWasThere=no
if exist "%store%\" set storeWasThere=yes
> report.txt echo Tests of the Dravenil File Access Plugin kit
if "%~1"=="" (
  call :architectures unit_tests.exe
  call :architectures plugin_tests.exe
) else (
  call :named %*
)
if "%policyWasThere%"=="no" reg delete "%policy%" /f >nul 2>&1
if "%storeWasThere%"=="no" if exist "%store%\" rd /s /q "%store%"
>> report.txt echo %passed% passed, %failed% failed
echo %passed% passed, %failed% failed: see report.txt
if not "%failed%"=="0" exit /b 1
exit /b 0

rem Each program named on the command line.
:named
if "%~1"=="" exit /b 0
call :architectures "%~1"
shift
goto named

rem One program in each architecture's folder.
:architectures
call :run x86 "%~1"
call :run x64 "%~1"
exit /b 0

rem One program of one architecture: a pass only when it exits with 0.
:run
set "program=%~2"
if not "%program:\=%%program:/=%"=="%program%%program%" (
  call :failure "%~1" "%~2" "names a folder: name the program alone, as in %~nx2"
  exit /b 0
)
if not exist "%~1\" (
  call :failure "%~1" "%~2" "the kit has no %~1 folder"
  exit /b 0
)
if not exist "%~1\%~2" (
  call :failure "%~1" "%~2" "is not in the kit"
  exit /b 0
)
>> report.txt echo ==== %~1\%~2
pushd "%~1"
"%~2" "--gtest_output=xml:..\report-%~1-%~n2.xml" >> ..\report.txt 2>&1
set code=%errorlevel%
popd
if "%code%"=="0" (
  set /a passed+=1
  echo passed %~1\%~2
  exit /b 0
)
call :failure "%~1" "%~2" "exited with %code%"
exit /b 0

:failure
set /a failed+=1
>> report.txt echo ==== FAILED %~1\%~2: %~3
echo FAILED %~1\%~2: %~3
exit /b 0
