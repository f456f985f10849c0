int quorvina_placeholder() { return 0; }
