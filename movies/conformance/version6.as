// A compressed SWF 6 movie: conversions follow the older rules.
#version 6
#compress
trace("v6 " + (1 + 2));
trace(Number(undefined));
trace("[" + String(undefined) + "]");
var o = {k: "v"};
for (var p in o) trace(p + "=" + o[p]);
function f(a) { return a * 2; }
trace(f(21));
