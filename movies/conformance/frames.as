// Code in several frames, frame labels and jumps; the timeline keeps its variables.
#rate 60
var visits = 0;
trace("frame 1");
// Called from other frames, whose scripts have constant pools of their own.
function describe(n) { return "described " + n + " in " + "frame one's pool"; }
#frame
#label again
visits++;
trace("frame 2 visit " + visits);
#frame
trace("frame 3 at " + _currentframe);
if (visits == 1) {
  gotoAndPlay("again");
} else if (visits == 2) {
  gotoAndPlay(2);
} else if (visits == 3) {
  var target = 1 + 1;
  gotoAndPlay(target);
} else {
  gotoAndStop(4);
}
#frame
trace("frame 4");
trace(describe(visits));
stop();
