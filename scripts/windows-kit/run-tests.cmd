@echo off
rem Runs the kit's test programs on this Windows machine, each architecture
rem in its folder, and writes report.txt beside this file: every program's
rem output (skipped tests are marked "[  SKIPPED ]" with their reasons) and a
rem closing line "N passed, N failed". Exits 1 when a program failed.
rem
rem   run-tests.cmd [PROGRAM.exe ...]    (default: unit_tests.exe plugin_tests.exe)
rem
rem No build tools and no administrator rights are needed; the tests that
rem need administrator rights (they write the machine's policy key) skip
rem without them, saying so.
setlocal EnableExtensions EnableDelayedExpansion
cd /d "%~dp0"
set "report=%~dp0report.txt"
set passed=0
set failed=0
> "%report%" echo Tests of the Dravenil File Access Plugin kit
set "programs=%*"
if "%programs%"=="" set "programs=unit_tests.exe plugin_tests.exe"
for %%a in (x86 x64) do (
  for %%p in (%programs%) do (
    if exist "%%a\%%p" (
      >> "%report%" echo ==== %%a\%%p
      pushd "%%a"
      "%%p" >> "%report%" 2>&1
      if errorlevel 1 (
        set /a failed+=1
        >> "%report%" echo ==== FAILED %%a\%%p
        echo FAILED %%a\%%p
      ) else (
        set /a passed+=1
        echo passed %%a\%%p
      )
      popd
    )
  )
)
>> "%report%" echo !passed! passed, !failed! failed
echo !passed! passed, !failed! failed: see %report%
if !failed! gtr 0 exit /b 1
exit /b 0
