// Shared test helpers live in this folder; this file keeps the binary linkable
// even when a subsystem has no tests of its own yet.
