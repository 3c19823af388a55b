#version 6
#compress
#size 320 240
#rate 12.5
#background #336699
// The global functions that compile to actions of their own.
stop();
play();
gotoAndStop(3);
gotoAndPlay("intro");
nextFrame();
prevFrame();
getURL("http://example.invalid/", "_blank");
loadMovieNum("other.swf", 2);
fscommand("quit");
unloadMovie("_level1");
trace(getTimer() + random(5) + int("3") + ord("a") + chr(66) + String(1) + Number("2"));
duplicateMovieClip("clip", "copy", 1);
removeMovieClip("copy");
startDrag("copy", true);
stopDrag();
var v = eval("v" + 1);
#frame
#label intro
trace(this);
