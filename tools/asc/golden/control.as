#version 7
// Branches, a switch, an enumeration left early, and a handler with its catch variable in a
// register.
function find(o, wanted) {
  for (var k in o) {
    if (o[k] == wanted) return k;
  }
  return null;
}
function kind(v) {
  switch (typeof v) {
    case "number": return 1;
    case "string": return 2;
    default: return 0;
  }
}
function guarded(f) {
  try {
    return f();
  } catch (e) {
    return e;
  } finally {
    trace("done");
  }
}
for (var p in {a: 1}) break;
trace(find({x: 1}, 1) + kind(3) + guarded(null));
