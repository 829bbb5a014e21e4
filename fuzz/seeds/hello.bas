10 REM Hello, world
20 PRINT "Hello, world!"
30 END
