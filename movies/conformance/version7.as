// A compressed SWF 7 movie.
#version 7
#compress
trace(Number(undefined));
trace("[" + String(undefined) + "]");
try { throw "seven"; } catch (e) { trace(e); }
