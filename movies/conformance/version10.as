// An uncompressed SWF 10 movie with an AVM1 script.
#version 10
#size 100 100
#background #000000
var list = [3, 1, 2];
list.sort();
trace(list.join(""));
trace(typeof this);
