<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4" name="Tint" shared="true" default="1 1 1 1"/>
	<Parameter type="float4" name="OwnA"/>
	<Technique name="Technique0">
		<Pass vertex="Effects/Clip.vert" fragment="Effects/Tint.frag">
			<State name="CullMode" value="None"/>
			<State name="AlphaBlendEnable" value="true"/>
			<State name="SrcBlend" value="SrcAlpha"/>
			<State name="DestBlend" value="InvSrcAlpha"/>
			<State name="ZFunc" value="Always"/>
		</Pass>
	</Technique>
</Effect>
