// Code in several frames; the timeline keeps its variables between frames.
#rate 30
var visits = 1;
trace("frame 1");
#frame
visits++;
trace("frame 2 visits " + visits);
#frame
#label last
trace("frame 3 visits " + visits + " at " + _currentframe);
stop();
