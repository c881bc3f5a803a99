# bash completion for pelmora: commands, each command's options, and file
# names of the kind an option or argument takes. The format ids and model
# extensions are those `pelmora formats` lists (a test keeps them the same).
_pelmora_convert_formats="qmx glb gltf obj ply stl collada x objnomtl 3ds assbin fbx fbxa 3mf"
_pelmora_model_extensions="3d|3ds|3mf|ac|ac3d|acc|amf|ase|ask|assbin|b3d|blend|bsp|bvh|cob|csm|dae|dxf|enff|fbx|glb|\
gltf|hmp|ifc|ifczip|iqm|irr|irrmesh|lwo|lws|lxo|md2|md3|md5anim|md5camera|md5mesh|mdc|mdl|mesh|mot|ms3d|ndo|nff|obj|\
off|ogex|pk3|ply|pmx|prj|q3o|q3s|raw|scn|sib|smd|step|stl|stp|ter|uc|vta|x|x3d|x3db|xgl|xml|zae|zgl"
_pelmora() {
  local cur prev words cword
  _init_completion || return
  local commands="export import inspect convert templates preview formats"
  local command="" command_at=0
  local i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      -*) ;;
      *) command=${words[i]} command_at=$i; break ;;
    esac
  done
  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi
  case $prev in
    --host-dir | --output-dir | --textures | --templates) _filedir -d; return ;;
    --mode) COMPREPLY=($(compgen -W "0 1 2 3" -- "$cur")); return ;;
    --model-up) COMPREPLY=($(compgen -W "auto y z" -- "$cur")); return ;;
    --code-page) COMPREPLY=($(compgen -W "1252 932 65001" -- "$cur")); return ;;
    --format) COMPREPLY=($(compgen -W "$_pelmora_convert_formats" -- "$cur")); return ;;
    --module) _filedir 'so|dll'; return ;;
    --preview | --lux) _filedir png; return ;;
    --drawing) _filedir json; return ;;
    -j | --jobs | --model-unit | --import-time | --import-memory | --size | --camera | --exposure | --light-scale | \
      --probe-point | --probe) return ;;
    -o | --output)
      case $command in
        import) _filedir json ;;
        preview) _filedir png ;;
        *) _filedir qmx ;;
      esac
      return
      ;;
  esac
  local options
  case $command in
    export)
      options="-o --output --output-dir -j --jobs --mode --host-dir --force --dry-run --json -q --quiet
               --model-unit --model-up --camera --import-time --import-memory --module --preview --help" ;;
    import) options="-o --output --force --templates --model-unit --model-up --camera --import-time --import-memory
               --help" ;;
    inspect) options="--json --geometry --raw --no-decode --code-page --help" ;;
    convert) options="--format --textures --light-scale --ascii --binary --code-page --force --help" ;;
    templates) options="--host-dir --drawing --json --help" ;;
    preview) options="-o --output --size --lights --edges --force --lit --exposure --light-scale --lux --probe-point
                      --probe --textures --code-page --json --help" ;;
    *) options="--help" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  # The inputs each command reads: export drawing documents and model files,
  # import model files, the others QMX scenes (convert's output takes any name).
  case $command in
    export) _filedir "json|$_pelmora_model_extensions" ;;
    import) _filedir "$_pelmora_model_extensions" ;;
    inspect | preview) _filedir qmx ;;
    convert)
      local args=0
      for ((i = command_at + 1; i < cword; i++)); do
        case ${words[i]} in
          --format | --textures | --code-page) ((i++)) ;;
          -*) ;;
          *) ((args++)) ;;
        esac
      done
      if ((args == 0)); then _filedir qmx; else _filedir; fi
      ;;
  esac
}
complete -F _pelmora pelmora
