// Entry points exported to the host.
