// The library the host loads is the add-on's internals linked whole; the
// entry points it exports are defined in Exports.cpp and chosen by
// exports.map.
