// ExternalInterface: calls into the page and callbacks the page calls.
var EI = flash.external.ExternalInterface;
trace(EI.available);
trace(EI.call("pageAdd", 2, 3));
trace(EI.call("pageEcho", "text", true, null));
var reply = EI.call("pageObject");
trace(reply.name + " " + reply.list.length);
EI.call("pageNotify");

var received = [];
EI.addCallback("movieJoin", null, function (a, b) {
  received.push(a + b);
  trace("movieJoin " + a + " " + b);
  return a + "-" + b;
});
EI.addCallback("movieCount", null, function () {
  trace("movieCount");
  return received.length;
});
trace("ready");
