int vrp_probe_marker;
