@echo off
rem A program the tests start: it writes its two arguments, each followed by "|", into the
rem file "out" beside itself.
>"%~dp0out" echo %~1^|%~2^|
