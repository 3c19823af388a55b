// A continue that leaves a try block ends the block normally and is continued after it.
for (var i = 0; i < 3; i++) {
  try {
    if (i == 1) continue;
  } finally {
    trace(i);
  }
}
