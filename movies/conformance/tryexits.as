// break and continue that leave try, catch and finally blocks run the finally blocks on the way.
var log = [];
for (var i = 0; i < 5; i++) {
  try {
    if (i == 1) continue;
    if (i == 3) break;
    log.push("body" + i);
  } finally {
    log.push("fin" + i);
  }
}
trace(log.join(" "));

// Leaving two nested handlers at once, from a catch block.
log = [];
var n = 0;
while (true) {
  n++;
  try {
    try {
      throw n;
    } catch (e) {
      log.push("caught" + e);
      if (e == 2) break;
      continue;
    } finally {
      log.push("inner");
    }
  } finally {
    log.push("outer");
  }
}
trace(log.join(" "));

// A break out of an enumeration inside a handler inside a function.
function firstBig(o) {
  var found = "none";
  for (var k in o) {
    try {
      if (o[k] > 10) {
        found = k;
        break;
      }
    } finally {
      trace("checked " + k);
    }
  }
  return found;
}
trace(firstBig({big: 50}));

// The exit register is reset: a later normal completion does not repeat an old exit.
var rounds = 0;
for (var r = 0; r < 3; r++) {
  try {
    rounds++;
  } finally {
  }
}
trace(rounds);

// A frame register still holding 1 from an earlier assignment is not taken for an exit.
var holder = {};
var one = (holder.v = 1);
for (var q = 0; q < 2; q++) {
  try {
    if (q == 5) break;
  } finally {
  }
}
trace("q " + q);
