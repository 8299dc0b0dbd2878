int corvane_placeholder_plugin() { return 0; }
