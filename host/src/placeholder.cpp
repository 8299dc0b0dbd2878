int corvane_placeholder_host() { return 0; }
