# cmake -DIN=<file> -DOUT=<file> -P crlf.cmake: copies a text file with CR LF line ends.
file(READ ${IN} text)
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${OUT} "${text}")
